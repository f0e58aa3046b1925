# Turns one line of lapshell's screen log (tab-separated key=value fields,
# rows from --screen-rows) into an SVG of those console rows: one rectangle
# per run of a background colour, one text element per run of characters
# of one foreground colour. Run with LC_ALL=C and -v rows=N; the cells must
# be ASCII. Trailing rows that are blank in the plain attribute are left out.

function hexval(c) { return index("0123456789ABCDEF", c) - 1 }
function escape(t) { gsub(/&/, "\\&amp;", t); gsub(/</, "\\&lt;", t); gsub(/>/, "\\&gt;", t); return t }

BEGIN {
    # The console's sixteen colours, by attribute nibble (1 blue, 2 green,
    # 4 red, 8 bright).
    split("#0C0C0C #0037DA #13A10E #3A96DD #C50F1F #881798 #C19C00 #CCCCCC " \
          "#767676 #3B78FF #16C60C #61D6D6 #E74856 #B4009E #F9F1A5 #F2F2F2", palette, " ")
    cw = 8.4; lh = 18; pad = 12; base = 13
}

{
    for (i = 1; i <= NF; i++) {
        eq = index($i, "=")
        field[substr($i, 1, eq - 1)] = substr($i, eq + 1)
    }
    if (field["width"] == "") { print "cells-to-svg: the screen log has no console cells" > "/dev/stderr"; exit 1 }
    width = field["width"] + 0
    used = 0
    for (r = 0; r < rows; r++) {
        key = r == 0 ? "" : r
        text[r] = field["text" key]; attrs[r] = field["attrs" key]
        if (text[r] ~ /[\200-\377]/) { print "cells-to-svg: row " r " is not ASCII" > "/dev/stderr"; exit 1 }
        if (text[r] ~ /[^ ]/ || attrs[r] ~ /[^07]/) used = r + 1
    }
    w = width * cw + 2 * pad; h = used * lh + 2 * pad
    printf "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%d\" viewBox=\"0 0 %.0f %d\" " \
           "font-family=\"Consolas, 'DejaVu Sans Mono', monospace\" font-size=\"14\">\n", w, h, w, h
    printf "<rect width=\"100%%\" height=\"100%%\" rx=\"6\" fill=\"%s\"/>\n", palette[1]
    for (r = 0; r < used; r++) {
        y = pad + r * lh
        for (c = 0; c < width; c = e) {        # backgrounds
            bg = hexval(substr(attrs[r], 2 * c + 1, 1))
            for (e = c + 1; e < width && hexval(substr(attrs[r], 2 * e + 1, 1)) == bg; e++) ;
            if (bg != 0)
                printf "<rect x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"%d\" fill=\"%s\"/>\n",
                       pad + c * cw, y, (e - c) * cw, lh, palette[bg + 1]
        }
        for (c = 0; c < width; c = e) {        # characters
            fg = hexval(substr(attrs[r], 2 * c + 2, 1))
            for (e = c + 1; e < width && hexval(substr(attrs[r], 2 * e + 2, 1)) == fg; e++) ;
            run = substr(text[r], c + 1, e - c)
            if (run ~ /[^ ]/)
                printf "<text x=\"%.1f\" y=\"%d\" fill=\"%s\" xml:space=\"preserve\" textLength=\"%.1f\">%s</text>\n",
                       pad + c * cw, y + base, palette[fg + 1], (e - c) * cw, escape(run)
        }
    }
    print "</svg>"
}
