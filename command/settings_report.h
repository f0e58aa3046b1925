// The report of the settings that ends every run of the command.
#pragma once

// Writes the report of the current settings to standard output.
void WriteSettingsReport(void);
