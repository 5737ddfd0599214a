#include "app/app_settings.h"

AppSettings appSettings;
