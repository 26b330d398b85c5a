#!/usr/bin/env bash
# check_man_pages.sh render PAGE...: renders each (compressed) manual page as man(1)
#   shows it and fails on any groff warning, or when the NAME line is not one that
#   mandb and apropos can read.
# check_man_pages.sh cli PAGE CLI: every command that `CLI help` lists has an entry
#   in PAGE headed by its usage exactly as the program prints it, and every option
#   the help names has an entry under OPTIONS, so a command or option added without
#   its documentation fails.
set -o pipefail
export LC_ALL=C.UTF-8 MANPAGER=cat PAGER=cat
mode=$1
shift

# The page as text, formatting stripped, lines of up to $1 columns.
render()
{
    MANWIDTH=$1 man -E UTF-8 -l "$2"
}

failures=0
fail()
{
    echo "$*" >&2
    failures=$((failures + 1))
}

case $mode in
render)
    for page in "$@"; do
        [[ -f $page ]] || { fail "$page: missing"; continue; }
        warnings=$(MANWIDTH=80 man --warnings=w -E UTF-8 -l "$page" 2>&1 >/dev/null)
        [[ -z $warnings ]] || fail "$page: $warnings"
        [[ $(render 80 "$page" | wc -l) -gt 20 ]] || fail "$page: renders to almost nothing"
        name=$(lexgrog "$page") || fail "$page: lexgrog cannot read its NAME section"
        [[ $name == *': "'?*' - '?*'"' ]] || fail "$page: NAME is not 'name - description': $name"
    done
    ;;
cli)
    page=$1 cli=$2
    help=$("$cli" help) || { fail "$cli help failed"; exit 1; }
    # Wide enough that no usage line is broken.
    text=$(render 250 "$page") || { fail "$page: man failed"; exit 1; }

    # An entry starts on a line indented by seven blanks, where its text goes on after
    # one blank when the heading is short; an option may also follow another one and
    # ", " there, as -h in "--help, -h".
    has_entry()
    {
        local wanted=$1 section=$2
        awk -v wanted="$wanted" -v section="$section" '
            /^[^ ]/ { inside = $0 == section }
            inside {
                at = 0
                if (index($0, "       " wanted) == 1)
                    at = 8
                else if (match($0, /^       -[^ ,]*( [A-Z]+)?, /) && substr($0, RLENGTH + 1, length(wanted)) == wanted)
                    at = RLENGTH + 1
                rest = substr($0, at + length(wanted))
                if (at > 0 && (rest == "" || rest ~ /^[ ,]/)) found = 1
            }
            END { exit !found }' <<<"$text"
    }

    usages=$(sed -n '/^commands:/,/^$/s/^  \([a-z]\)/\1/p' <<<"$help")
    [[ $usages ]] || fail "no commands in the output of $cli help"
    while IFS= read -r usage; do
        has_entry "$usage" COMMANDS || fail "$page: COMMANDS has no entry '$usage'"
    done <<<"$usages"

    options=$(grep -oE '(^|[ [])--?[a-z][a-z-]*' <<<"$help" | sed 's/^[ []//' | sort -u)
    [[ $options == *--version* ]] || fail "no options in the output of $cli help"
    # main.cpp takes these too, though the help does not name them.
    for option in $options --help -h; do
        has_entry "$option" OPTIONS || fail "$page: OPTIONS has no entry '$option'"
    done
    ;;
*)
    echo "usage: check_man_pages.sh render PAGE... | cli PAGE CLI" >&2
    exit 2
    ;;
esac

exit $((failures > 0))
