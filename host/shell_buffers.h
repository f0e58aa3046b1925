// The sizes of the text buffers that the shell and its plug-ins hand each
// other, in wide characters, terminator included. Plain numbers with no
// Windows types, so that the plug-in's text code (built natively too) and
// the stand-in shell take them from here.
#pragma once

enum {
    // A variable's result buffer, and the most the shell writes into any
    // text it is given to expand or run, whatever the text names.
    SHELL_TEXT_BUFFER_CHARS = 8192,
    // The buffer the shell hands to a plug-in's Usage.
    SHELL_USAGE_BUFFER_CHARS = 1024,
};
