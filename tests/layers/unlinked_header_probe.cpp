// Built only by the layers test, which expects this to fail: the conversion
// library does not link the platform library, so its header must not be found.
#include "platform/settings_file.h"
