# Fills a shell completion template for tindracmd with the options, their
# value names and the image file types that `tindracmd --help` (read from
# standard input) lists, so that the completion offers what the program takes.
#
#   tindracmd --help | awk -v template=TEMPLATE -f completion.awk > OUTPUT
#
# Template placeholders: @OPTIONS@ (every option name), @VALUE_OPTIONS@ (the
# names of the options that take a value, also in their single-dash long
# form, as a shell case pattern), @FILE_TYPES@ (the values of --filetype) and
# a line @ZSH_ARGUMENTS@ (one zsh _arguments entry per option).

function trim(s) { sub(/^ +/, "", s); sub(/ +$/, "", s); return s }

# Text inside '[...]' or after ':' of a quoted zsh _arguments entry.
function zshquote(s) {
    gsub(/\\/, "\\\\", s)
    gsub(/'/, "'\\''", s)
    gsub(/\[/, "\\[", s)
    gsub(/\]/, "\\]", s)
    gsub(/:/, "\\:", s)
    return s
}

# Qt lays out each option as "  -c, --count <value>  description", and wraps
# the description onto lines indented further.
/^Options:/ { options = 1; next }
/^[^ ]/ { options = 0 }
options && /^  -/ {
    line = substr($0, 3)
    gap = index(line, "  ")
    head = gap ? substr(line, 1, gap - 1) : line
    desc[++n] = gap ? trim(substr(line, gap)) : ""
    value[n] = ""
    if (match(head, / <[^>]*>$/)) {
        value[n] = substr(head, RSTART + 2, RLENGTH - 3)
        head = substr(head, 1, RSTART - 1)
    }
    gsub(/,/, "", head)
    names[n] = head
    next
}
options && /^   +[^ ]/ && n { desc[n] = desc[n] " " trim($0) }

END {
    if (n == 0)
        fail("no options in the help")
    for (i = 1; i <= n; i++) {
        count = split(names[i], list, " ")
        all = all (all == "" ? "" : " ") names[i]
        action = " "
        for (k = 1; k <= count; k++) {
            if (list[k] == "--filetype") {
                # "... of the output image. jpeg, jpg, png."
                if (!match(desc[i], /[a-z0-9]+(, [a-z0-9]+)+\.?$/))
                    fail("the help lists no file types for --filetype")
                types = substr(desc[i], RSTART, RLENGTH)
                gsub(/[,.]/, "", types)
                action = "(" types ")"
            }
            if (list[k] == "--log")
                action = "_files"
            if (value[i] != "") {
                valued = valued (valued == "" ? "" : " | ") list[k]
                if (list[k] ~ /^--/)
                    valued = valued " | " substr(list[k], 2)
            }
        }
        # '(-c --count)'{-c,--count}'[description]:value name:action'
        if (count > 1) {
            entry = "'(" names[i] ")'{" list[1]
            for (k = 2; k <= count; k++)
                entry = entry "," list[k]
            entry = entry "}'"
        } else {
            entry = "'" list[1]
        }
        entry = entry "[" zshquote(desc[i]) "]"
        if (value[i] != "")
            entry = entry ":" zshquote(value[i]) ":" action
        zsh[i] = entry "'"
    }
    if (types == "")
        fail("the help has no --filetype option")
    while ((getline line < template) > 0) {
        if (line ~ /@ZSH_ARGUMENTS@/) {
            for (i = 1; i <= n; i++)
                print "    " zsh[i] " \\"
            continue
        }
        gsub(/@OPTIONS@/, all, line)
        gsub(/@VALUE_OPTIONS@/, valued, line)
        gsub(/@FILE_TYPES@/, types, line)
        print line
    }
}

function fail(message) {
    print "completion.awk: " message > "/dev/stderr"
    exit 1
}
