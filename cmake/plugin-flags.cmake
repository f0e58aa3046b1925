# The compile flags of this project's code, in one place for every build
# that compiles it: the DLL and its test programs, the native sanitizer
# build and the fuzz build.

# Every target of ours (not GoogleTest's).
set(LAPWATCH_WARNING_FLAGS -Wall -Wextra -Werror)

# The plug-in's own sources on top: -Wconversion catches a value narrowed
# into a 16-bit wchar_t or a pointer-sized value squeezed into 32 bits, and
# the plug-in neither throws nor asks for types at run time.
set(LAPWATCH_PLUGIN_FLAGS ${LAPWATCH_WARNING_FLAGS} -Wconversion -Wno-sign-conversion -fno-exceptions -fno-rtti)
