// The sizes of the text buffers that the shell and its plug-ins hand each
// other, in wide characters. Plain numbers with no Windows types, so that
// the plug-in's text code (built natively too) and the stand-in shell take
// them from here.
#pragma once

enum {
    // A text the shell hands over holds at most 8191 characters and its
    // terminator: a variable's result buffer, a command's arguments, the line
    // being edited. When the shell expands or runs a text it is told no size
    // and may write that many into whatever it is handed, so every buffer
    // given to it has this size, even one whose answer is normally a few
    // characters; the plug-in's own copies of such texts take it too.
    SHELL_TEXT_BUFFER_CHARS = 8192,
    SHELL_TEXT_MAX_CHARS = SHELL_TEXT_BUFFER_CHARS - 1,
    // The buffer the shell hands to a plug-in's Usage, terminator included.
    SHELL_USAGE_BUFFER_CHARS = 1024,
};
