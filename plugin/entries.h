// The names the plug-in gives the shell, in the order of its function list,
// each with its kind and its help text. The function list, the exports'
// declarations and the help system are all made from this one table:
//
//   X(kind, name, help)
//
// The shell lists a variable function as "@name" and finds it exported as
// f_name; it lists the key handler as "*name". Every other name is listed
// and exported as it is. The key handler has no help text; the command's is
// COMMAND_HELP_TEXT (command/help_text.h), every other one a title line and
// a description.
#pragma once

#define LAPWATCH_ENTRIES(X, SEPARATOR)                                                                               \
    X(COMMAND, lapwatch, COMMAND_HELP_TEXT)                                                                          \
    SEPARATOR X(VARIABLE, _cmdcount,                                                                                 \
                L"_CMDCOUNT \r\n\nReturns the number of times the command  \ncounter has been started.\n")           \
    SEPARATOR X(VARIABLE, _cmdticks,                                                                                 \
                L"_CMDTICKS \r\n\nReturns the duration of the last command,  \nin 100 ns ticks.\n")                  \
    SEPARATOR X(VARIABLE, _cmdtime, L"_CMDTIME \r\n\nReturns the duration of the last command,  \nas H:MM:SS.mmm\n") \
    SEPARATOR X(VARIABLE, _cmdtotalticks,                                                                            \
                L"_CMDTOTALTICKS \r\n\nReturns the total of command durations,  \nin 100 ns ticks.\n")               \
    SEPARATOR X(VARIABLE, _cmdtotaltime,                                                                             \
                L"_CMDTOTALTIME \r\n\nReturns the total of command durations, as  \nH:MM:SS.mmm\n")                  \
    SEPARATOR X(VARIABLE, _lastcmd, L"_LASTCMD \r\n\nReturns the first word from the last command  \nline entered.\n") \
    SEPARATOR X(VARIABLE, _ticks,                                                                                    \
                L"_TICKS \r\n\nReturns the number of 100 ns ticks since  \n1601-01-01 00:00:00 UTC.\n")              \
    SEPARATOR X(FUNCTION, tickstotime,                                                                               \
                L"@TICKSTOTIME \r\n\nConverts a count of 100 ns ticks to  \nH:MM:SS.mmm format.\n")                  \
    SEPARATOR X(FUNCTION, tickstotimed,                                                                              \
                L"@TICKSTOTIMED \r\n\nConverts a count of 100 ns ticks to  \nDDD HH:MM:SS.mmm format.\n")            \
    SEPARATOR X(KEY_HANDLER, key, nullptr)

// An entry's name as listed in the function list.
#define LISTED_COMMAND(name) L"" #name
#define LISTED_VARIABLE(name) L"" #name
#define LISTED_FUNCTION(name) L"@" #name
#define LISTED_KEY_HANDLER(name) L"*" #name
#define LISTED_NAME(kind, name, help) LISTED_##kind(name)

// An entry's export.
#define EXPORT_COMMAND(name) name
#define EXPORT_VARIABLE(name) name
#define EXPORT_FUNCTION(name) f_##name
#define EXPORT_KEY_HANDLER(name) name

// The function list: the listed names, comma-separated, without blanks.
#define LIST_COMMA L","
#define FUNCTION_LIST LAPWATCH_ENTRIES(LISTED_NAME, LIST_COMMA)
