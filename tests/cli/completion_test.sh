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
exit $fail
