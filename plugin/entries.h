// The names the plug-in gives the shell, in the order of its function list,
// each with its kind. The function list, the exports' declarations and the
// help entries are all made from this one table:
//
//   X(kind, name)
//
// The shell lists a variable function as "@name" and finds it exported as
// f_name; it lists the key handler as "*name". Every other name is listed
// and exported as it is.
#pragma once

#define LAPWATCH_ENTRIES(X, SEPARATOR)                                                                               \
    X(COMMAND, lapwatch)                                                                                             \
    SEPARATOR X(VARIABLE, _cmdcount) SEPARATOR X(VARIABLE, _cmdticks) SEPARATOR X(VARIABLE, _cmdtime)                \
    SEPARATOR X(VARIABLE, _cmdtotalticks) SEPARATOR X(VARIABLE, _cmdtotaltime)                                       \
    SEPARATOR X(VARIABLE, _lastcmd) SEPARATOR X(VARIABLE, _ticks)                                                    \
    SEPARATOR X(FUNCTION, tickstotime) SEPARATOR X(FUNCTION, tickstotimed)                                           \
    SEPARATOR X(KEY_HANDLER, key)

// An entry's name as listed in the function list.
#define LISTED_COMMAND(name) L"" #name
#define LISTED_VARIABLE(name) L"" #name
#define LISTED_FUNCTION(name) L"@" #name
#define LISTED_KEY_HANDLER(name) L"*" #name
#define LISTED_NAME(kind, name) LISTED_##kind(name)

// An entry's export.
#define EXPORT_COMMAND(name) name
#define EXPORT_VARIABLE(name) name
#define EXPORT_FUNCTION(name) f_##name
#define EXPORT_KEY_HANDLER(name) name

// The function list: the listed names, comma-separated, without blanks.
#define LIST_COMMA L","
#define FUNCTION_LIST LAPWATCH_ENTRIES(LISTED_NAME, LIST_COMMA)
