# bash completion for kelvane-cli                                 -*- shell-script -*-

_kelvane_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} option
  # bash splits "--output=FILE" and "TAG=FILE" at the '=': look past it for the option.
  if [[ $prev == "=" ]]; then
    option=${COMP_WORDS[COMP_CWORD - 2]}
    [[ $option == --* ]] || option=${COMP_WORDS[COMP_CWORD - 3]}
  elif [[ $cur == "=" ]]; then
    option=$prev
    cur=""
  else
    option=$prev
  fi
  case $option in
    -f | --text-file | -o | --output | --var-file)
      # Files, and '-' for a standard stream; for --var-file the part after TAG=.
      if [[ $option == --var-file && $prev != "=" && $cur != *=* ]]; then
        return
      fi
      cur=${cur#*=}
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -f -- "$cur"))
      return
      ;;
    -t | --text | -n | --repeat | -v | --var)
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '--text --text-file --repeat --var --var-file --output --append
      --saved --save --help --version -t -f -n -v -o -a -h' -- "$cur"))
  fi
}
complete -F _kelvane_cli kelvane-cli
