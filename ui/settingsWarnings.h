#pragma once

class TfrmGuiSettings;

// Shows the warning box "<key>not found" (caption "Warning: GuiSettings",
// both translated) whenever settings cannot read an integer or flag.
void WarnOfMissingSettings(TfrmGuiSettings &settings);
