#!/usr/bin/env bash
# check_bash_completion.sh BASH_COMPLETION COMPLETION CLI MKDEMO DIR CASE: loads
# bash-completion's main script and corvalin-cli's completion COMPLETION, completes
# command lines as bash would (COMP_WORDS, COMP_CWORD, COMP_LINE, COMP_POINT) and
# checks what is offered. CLI is the real corvalin-cli, MKDEMO the demo file writer;
# DIR is a scratch folder. CASE: commands, options, files or products.
set -o pipefail
main=$1 completion=$2 cli=$3 mkdemo=$4 dir=$5 case=$6

# shellcheck source=/dev/null
source "$main" || exit 1
# shellcheck source=/dev/null
source "$completion" || exit 1

failures=0

# complete WORD... : completes the word number $at (the last one when at is unset),
# with the cursor at its end, and leaves the offers, sorted, one per line in $offered.
complete_words()
{
    COMP_WORDS=("$@")
    COMP_CWORD=${at:-$((${#COMP_WORDS[@]} - 1))}
    local IFS=' ' before=("${COMP_WORDS[@]:0:COMP_CWORD + 1}")
    COMP_LINE="${COMP_WORDS[*]}"
    before="${before[*]}"
    COMP_POINT=${#before}
    COMPREPLY=()
    _corvalin_cli "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    offered=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)
}

# expect "WANTED LINES" WORD... : the completion of the words offers exactly those.
expect()
{
    local wanted
    wanted=$(printf '%s' "$1" | LC_ALL=C sort)
    shift
    complete_words "$@"
    if [[ $offered != "$wanted" ]]; then
        printf 'completing [%s]:\n  offered: %s\n  wanted:  %s\n' "$*" "${offered//$'\n'/ | }" \
            "${wanted//$'\n'/ | }" >&2
        failures=$((failures + 1))
    fi
}

rm -rf "$dir" && mkdir -p "$dir" && cd "$dir" || exit 1

case $case in
commands)
    # The first word offers the commands `help` lists, so a new command needs its
    # completion too.
    listed=$("$cli" help | sed -n '/^commands:/,/^$/s/^  \([a-z-][a-z-]*\).*/\1/p') || exit 1
    [[ $listed ]] || { echo "no commands in corvalin-cli help" >&2; exit 1; }
    expect "$listed"$'\nhelp' corvalin-cli ''
    expect "$listed" corvalin-cli help ''
    expect "$listed" corvalin-cli --help ''
    expect $'--help\n--version\n-h' corvalin-cli -
    expect $'products\nparams' corvalin-cli p
    expect '' corvalin-cli help update ''
    ;;
options)
    expect $'--port\n--product' corvalin-cli update demo.img --p
    expect $'--log\n--port\n--product' corvalin-cli update --fast demo.img --
    expect $'--csv\n--excel\n--separator\n--verify' corvalin-cli log record.jsonl -
    expect $'-o\n--product\n--settings\n--strict' corvalin-cli set in.img -
    expect '--product' corvalin-cli diff a.img b.img -
    expect '--trace' corvalin-cli decode -
    expect '' corvalin-cli devices -
    ;;
files)
    mkdir "$dir/pts" files && cd files && mkdir folder && touch product.img remote.ccf REMOTE2.CCF || exit 1
    expect $'REMOTE2.CCF\nfolder\nproduct.img\nremote.ccf' corvalin-cli params ''
    # The CCF is ir-import's second argument, whatever options come before it.
    expect $'REMOTE2.CCF\nfolder\nremote.ccf' corvalin-cli ir-import -o out.img product.img ''
    expect $'REMOTE2.CCF\nfolder\nremote.ccf' corvalin-cli ccf --trace ''
    expect $'REMOTE2.CCF\nfolder\nproduct.img\nremote.ccf' corvalin-cli update --port /dev/ttyUSB0 ''
    expect $'REMOTE2.CCF\nfolder\nproduct.img\nremote.ccf' corvalin-cli ir-import product.img remote.ccf -o ''
    expect '' corvalin-cli set product.img ''
    expect $'REMOTE2.CCF\nfolder\nproduct.img\nremote.ccf' corvalin-cli diff product.img ''
    expect 'folder' corvalin-cli set product.img --settings ''
    expect $'REMOTE2.CCF\nfolder\nproduct.img\nremote.ccf' corvalin-cli station product.img --log ''
    # A port outside /dev/ttyUSB* and /dev/ttyACM* is completed as a file name.
    expect "$dir/pts" corvalin-cli update product.img --port "$dir/pt"
    ;;
products)
    "$mkdemo" "$dir/demo" >/dev/null || exit 1
    bundle=$dir/demo/demo-bundle.zip
    products=$("$cli" products "$bundle" 2>/dev/null) || exit 1
    [[ $(wc -l <<<"$products") -ge 2 ]] || { echo "the demo bundle lists fewer than two products" >&2; exit 1; }
    expect "$products" "$cli" update "$bundle" --product ''
    at=3 expect "$products" "$cli" params --product '' "$bundle"
    expect "$(grep '^VOLVO_P3' <<<"$products")" "$cli" set "$bundle" -o out.img --product VOLVO_P3
    expect '' "$cli" update no-such.zip --product ''

    # Names with blanks and a colon, typed quoted in each way, come back whole.
    mkdir members && cp "$dir/demo/demo.img" "members/Rear cam enc 1.bin" &&
        cp "$dir/demo/demo.img" "members/Rear cam: IR enc 2.bin" && echo demo >members/image.info &&
        (cd members && zip -q ../blanks.zip ./*) || exit 1
    both=$'Rear cam enc 1.bin\nRear cam: IR enc 2.bin'
    expect "$both" "$cli" params blanks.zip --product Rear
    expect "$both" "$cli" params blanks.zip --product 'Rear\ cam'
    expect 'Rear cam: IR enc 2.bin' "$cli" params blanks.zip --product '"Rear cam:'
    expect 'Rear cam enc 1.bin' "$cli" params "'blanks.zip'" --product "'Rear cam e"
    ;;
*)
    echo "unknown case $case" >&2
    exit 2
    ;;
esac

exit $((failures > 0))
