#include "gui/uAboutBox.h"
