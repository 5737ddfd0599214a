#pragma once

// Runs the main dialog (template 130) modally with no owner until it is closed. It publishes its
// window in mainDialogWindow while it exists.
void RunMainDialog();
