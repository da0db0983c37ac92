#!/usr/bin/env bash
# The shell completions of kelvane-cli as a user's shell uses them: bash offers the options and
# files where a file is wanted and nothing where text is; zsh and fish load theirs, and fish
# offers the options. Every option that --help lists is completed in all three.
#
# completion_test.sh SOURCE-DIR KELVANE-CLI
set -euo pipefail
source_dir=$1 cli=$2
completions=$source_dir/packaging/completions
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

options=$("$cli" --help | grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' | sed 's/^[ ,]*//' | sort -u)
[ -n "$options" ] || fail "--help lists no options"

# bash: what COMPREPLY holds with the cursor at the end of the given words.
bash_complete() {
  (
    cd "$work"
    # shellcheck source=/dev/null
    source "$completions/kelvane-cli.bash"
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _kelvane_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort
  )
}

touch "$work/names.txt" "$work/notes.md"
expect() {
  local want=$1
  shift
  local got
  got=$(bash_complete "$@" | paste -sd ' ')
  [ "$got" = "$want" ] || fail "bash completes '$*' as '$got', not '$want'"
}
expect "--text --text-file" kelvane-cli --te
expect "-a" kelvane-cli -t x -a
expect "names.txt notes.md" kelvane-cli -o n
expect "names.txt" kelvane-cli --text-file na
expect "names.txt" kelvane-cli --output = na
expect "names.txt" kelvane-cli --var-file T = na
expect "" kelvane-cli --var-file T
expect "" kelvane-cli --text n
expect "" kelvane-cli -n 1
all=$(bash_complete kelvane-cli -)
for option in $options; do
  grep -qxF -- "$option" <<<"$all" || fail "bash does not offer $option"
done

if command -v zsh >/dev/null; then
  zsh -n "$completions/_kelvane-cli" || fail "zsh cannot read _kelvane-cli"
  head -n 1 "$completions/_kelvane-cli" | grep -qx '#compdef kelvane-cli' || fail "_kelvane-cli is not a zsh completion"
  for option in $options; do
    grep -qF -- "$option" "$completions/_kelvane-cli" || fail "zsh does not offer $option"
  done
else
  echo "zsh is not installed: its completion was not checked"
fi

if command -v fish >/dev/null; then
  got=$(HOME=$work XDG_CONFIG_HOME=$work fish --no-config -c \
    "source '$completions/kelvane-cli.fish'; complete -C 'kelvane-cli -'" | cut -f1 | sort -u)
  for option in $options; do
    grep -qxF -- "$option" <<<"$got" || fail "fish does not offer $option; it offers: $(paste -sd ' ' <<<"$got")"
  done
  got=$(cd "$work" && HOME=$work XDG_CONFIG_HOME=$work fish --no-config -c \
    "source '$completions/kelvane-cli.fish'; complete -C 'kelvane-cli --output na'" | cut -f1)
  [ "$got" = "names.txt" ] || fail "fish completes --output na as '$got'"
else
  echo "fish is not installed: its completion was not checked"
fi

echo "completion test: all checks passed"
