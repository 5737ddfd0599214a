#include "settings/app_settings.h"

AppSettings appSettings;
