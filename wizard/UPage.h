// The setup wizard.
#pragma once

// Runs the modal setup wizard; returns when its dialog has ended.
void RunWizard();
