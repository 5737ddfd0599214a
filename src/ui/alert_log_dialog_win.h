#pragma once

// Runs one alert log window (template 132) modally with no owner until it is closed.
void RunAlertLogDialog();
