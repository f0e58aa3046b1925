// The command help text, printed by the command and shown by Help.
#pragma once

extern const wchar_t COMMAND_HELP_TEXT[];
