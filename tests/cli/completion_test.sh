#!/usr/bin/env bash
# The bash completion of vaneto as bash runs it: commands, a command's options, banks after an
# option that names one.
set -u
source "$1"
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _vaneto
    echo "${COMPREPLY[*]}"
}
fail=0
expect() {
    if [[ "$1" != "$2" ]]; then
        echo "expected '$2', got '$1'"
        fail=1
    fi
}
expect "$(complete_words vaneto ma)" "make"
expect "$(complete_words vaneto make --bank '')" "1 2 3 4 5 6 7"
expect "$(complete_words vaneto ports --w)" "--watch"
expect "$(complete_words vaneto make --resy)" "--resynth="
# A file name with a space is one word.
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && touch "Kick 01.wav" "Kick 02.wav"
COMP_WORDS=(vaneto make out.mid --bank 1 "Kick 0"); COMP_CWORD=5; COMPREPLY=(); _vaneto
expect "${#COMPREPLY[@]}:${COMPREPLY[0]}" "2:Kick 01.wav"
COMP_WORDS=(vaneto list "Kick 01"); COMP_CWORD=2; COMPREPLY=(); _vaneto
expect "${#COMPREPLY[@]}:${COMPREPLY[0]}" "1:Kick 01.wav"
exit $fail
