#include "gui/uIcons.h"
