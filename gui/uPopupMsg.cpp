#include "gui/uPopupMsg.h"
