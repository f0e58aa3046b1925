# Sourced by the scripts that start Wine (after arch.sh): each run gets a
# Wine prefix of its own, copied from one template per build folder.
#
#   wine_environment ARCH PREFIX   exports what Wine needs to run ARCH's
#                                  programs in PREFIX, quietly
#   build_folder_of PATH           prints the build folder (the one holding a
#                                  CMakeCache.txt) that PATH lies below;
#                                  exit status 1 when there is none
#   fresh_wine_prefix ARCH PREFIX  replaces PREFIX by a copy of the template
#                                  of its build folder, making the template
#                                  first where there is none yet
#
# Creating a prefix (wineboot -i) takes 15 to 20 s for x64 and 695 MB (Wine
# 8.0), most of it DLLs that Wine only ever reads. So the template is made once,
# in <build folder>/wine/.template, and a copy hard-links its files: a copy
# takes a fraction of a second and next to no disk. Every run still has its
# own registry and files: see WINE_LINKED_NAMES.

# The files Wine only loads: programs, libraries, drivers and the tables of
# code pages and themes, nearly all of a prefix's size. Every other file
# (the registry, .ini files, manifests, hosts ...) is a real copy, so that a
# program writing into one in place cannot change the template.
WINE_LINKED_NAMES=(-iname '*.dll' -o -iname '*.exe' -o -iname '*.sys' -o -iname '*.drv' -o -iname '*.nls'
    -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.tlb' -o -iname '*.ds' -o -iname '*.com'
    -o -iname '*.ax' -o -iname '*.msstyles')

wine_environment() {
    export WINEPREFIX=$2
    WINELOADER=$(wine_loader "$1") || return 2
    export WINELOADER
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
    [ "$1" = x64 ] && export WINEARCH=win64
    unset DISPLAY WAYLAND_DISPLAY
}

build_folder_of() {
    local dir
    dir=$(dirname "$(realpath -m "$1")")
    while [ "$dir" != / ]; do
        [ -f "$dir/CMakeCache.txt" ] && { echo "$dir"; return 0; }
        dir=$(dirname "$dir")
    done
    return 1
}

# Makes the template in a folder of its own, then renames it into place, so
# that a template that exists is complete. wineserver saves the registry
# when it ends, which is waited for. The file "wineserver" names the
# running server's folder: it belongs to one run, not to the template.
make_wine_template() {
    local arch=$1 template=$2 making=$2.making
    rm -rf "$making" "$template"
    mkdir -p "$making"
    (
        wine_environment "$arch" "$making" || exit 2
        "$WINELOADER" wineboot.exe -i >/dev/null 2>&1
        wineserver -w
    ) || return 1
    rm -f "$making/wineserver"
    "$(wine_loader "$arch")" --version >"$making/.lapwatch-wine-version"
    mv "$making" "$template"
}

# True when the template exists and was made by the Wine installed now.
wine_template_current() {
    local template=$1 arch=$2
    [ -f "$template/.lapwatch-wine-version" ] || return 1
    [ "$(cat "$template/.lapwatch-wine-version")" = "$("$(wine_loader "$arch")" --version)" ]
}

# Copies the template: hard links, then real copies of all but the files
# Wine only loads.
copy_wine_prefix() {
    local template=$1 prefix=$2
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    cp -al "$template" "$prefix" || return 1
    (cd "$template" && find . -type f ! \( "${WINE_LINKED_NAMES[@]}" \) -print0) |
        xargs -0 -I{} cp --remove-destination -p "$template/{}" "$prefix/{}"
}

fresh_wine_prefix() {
    local arch=$1 prefix=$2 build template
    build=$(build_folder_of "$prefix") || { echo "wine-prefix: '$prefix' is not below a build folder" >&2; return 2; }
    template=$build/wine/.template
    mkdir -p "$build/wine"
    # One lock per build folder: parallel runs (ctest -j) wait while the
    # template is made, and never copy a template being replaced.
    (
        flock 9
        if ! wine_template_current "$template" "$arch"; then
            echo "wine-prefix: making the Wine prefix that every run of this build folder copies (once) ..." >&2
            make_wine_template "$arch" "$template" || { echo "wine-prefix: wineboot failed in $template.making" >&2; exit 1; }
        fi
        copy_wine_prefix "$template" "$prefix"
    ) 9>"$build/wine/.template.lock"
}
