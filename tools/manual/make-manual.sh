#!/usr/bin/env bash
# Writes the manual page and the bash completion of tam from the command's own help, so that both
# always list exactly the subcommands and options the binary has.
#   bash make-manual.sh TAM_BINARY MAN_PAGE_OUT COMPLETION_OUT
# Every command is asked for `--help` (subcommands of subcommands too, down to kMaxDepth levels);
# help-records.awk, beside this script, turns each help text into records.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: make-manual.sh TAM_BINARY MAN_PAGE_OUT COMPLETION_OUT" >&2
  exit 2
fi
tam=$1
man_out=$2
completion_out=$3
here=$(cd "$(dirname "$0")" && pwd)
readonly kMaxDepth=3

version=$("$tam" --version)

# Roff text: backslashes and hyphens escaped, and a leading "\&" so that no line can start a
# request by beginning with "." or "'".
roff() {
  local text=${1//\\/\\e}
  printf '\\&%s\n' "${text//-/\\-}"
}

# Splits an entry's names ("-h,--help" or "--set TEXT ..."): $entry_options gets the option
# names as separate words, and $takes_value is 1 when a value follows them.
split_entry() {
  local names=${1%% *}
  takes_value=0
  [ "$names" != "$1" ] && takes_value=1
  entry_options=${names//,/ }
}

man_body=""
synopsis=""
completion_cases=""

emit() { man_body+="$1"$'\n'; }

# describe DEPTH WORD...: adds the command `tam WORD...` to the page and the completion.
describe() {
  local depth=$1
  shift
  local records
  records=$("$tam" "$@" --help | awk -f "$here/help-records.awk")
  local kind first second section="" description="" usage=""
  local options="" value_options="" subcommands=()
  while IFS=$'\t' read -r kind first second; do
    case $kind in
      D) description+="${description:+ }$first" ;;
      U) usage=$first ;;
    esac
  done <<<"$records"

  local path="$*"
  synopsis+=".B $(roff "$usage" | sed 's/^\\&//')"$'\n'".br"$'\n'
  if [ $# -eq 0 ]; then
    emit ".SH DESCRIPTION"
    emit ".B tam"
    emit "is the command-line host of libtam: it reads a product kept as RIX module files and a"
    emit "JSON product file, and works on it with the commands below."
  else
    emit ".SS \"$(roff "tam $path" | sed 's/^\\&//')\""
    emit "$(roff "$description")"
  fi
  while IFS=$'\t' read -r kind first second; do
    case $kind in
      S)
        section=$first
        if [ $# -eq 0 ] && [ "$section" = "Subcommands" ]; then
          continue
        fi
        if [ $# -eq 0 ]; then
          emit ".SH ${section^^}"
        else
          emit ".PP"
          emit "\\fB$(roff "$section:" | sed 's/^\\&//')\\fR"
        fi
        ;;
      E)
        if [ "$section" = "Subcommands" ]; then
          subcommands+=("$first")
          [ $# -eq 0 ] && continue
        fi
        if [ "$section" != "Positionals" ] && [ "$section" != "Subcommands" ]; then
          local name
          split_entry "$first"
          for name in $entry_options; do
            options+="${options:+ }$name"
            [ "$takes_value" = 1 ] && value_options+="${value_options:+ }$name"
          done
        fi
        emit ".TP"
        emit ".B $(roff "$first" | sed 's/^\\&//')"
        [ -n "$second" ] && emit "$(roff "$second")"
        ;;
      P)
        emit ".PP"
        emit "$(roff "$first")"
        ;;
    esac
  done <<<"$records"

  completion_cases+="    \"$path\") options=\"$options\"; value_options=\"$value_options\";"
  completion_cases+=" subcommands=\"${subcommands[*]}\" ;;"$'\n'

  if [ $# -eq 0 ] && [ ${#subcommands[@]} -gt 0 ]; then
    emit ".SH COMMANDS"
  fi
  if [ "$depth" -lt "$kMaxDepth" ]; then
    local sub
    for sub in "${subcommands[@]}"; do
      describe $((depth + 1)) "$@" "$sub"
    done
  fi
}

describe 1

{
  echo ".\\\" Generated from the help of ${version} by tools/manual/make-manual.sh; do not edit."
  echo ".TH TAM 1 \"\" \"${version}\" \"User Commands\""
  echo ".SH NAME"
  summary=$("$tam" --help)
  summary=${summary%%$'\n'*}
  summary=${summary#tam: }
  echo "tam \\- ${summary//-/\\-}"
  echo ".SH SYNOPSIS"
  printf '%s' "$synopsis"
  printf '%s' "$man_body"
  cat "$here/manual-tail.roff"
} >"$man_out.tmp"
mv "$man_out.tmp" "$man_out"

{
  echo "# bash completion for tam. Generated from the help of ${version} by"
  echo "# tools/manual/make-manual.sh; do not edit."
  echo "_tam() {"
  echo '  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}'
  echo '  local path="" word i options value_options subcommands'
  echo "  # The command path is the run of subcommand names after \"tam\"."
  echo '  for ((i = 1; i < COMP_CWORD; i++)); do'
  echo '    word=${COMP_WORDS[i]}'
  echo '    _tam_lookup "$path"'
  echo '    if [[ " $subcommands " == *" $word "* ]]; then'
  echo '      path+="${path:+ }$word"'
  echo '    fi'
  echo '  done'
  echo '  _tam_lookup "$path"'
  echo '  if [[ -n $value_options && " $value_options " == *" $prev "* ]]; then'
  echo '    COMPREPLY=($(compgen -f -- "$cur"))'
  echo '  elif [[ $cur == -* ]]; then'
  echo '    COMPREPLY=($(compgen -W "$options" -- "$cur"))'
  echo '  elif [[ -n $subcommands ]]; then'
  echo '    COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))'
  echo '  else'
  echo '    COMPREPLY=($(compgen -f -- "$cur"))'
  echo '  fi'
  echo "}"
  echo "_tam_lookup() {"
  echo '  case $1 in'
  printf '%s' "$completion_cases"
  echo '    *) options=""; value_options=""; subcommands="" ;;'
  echo '  esac'
  echo "}"
  echo "complete -o filenames -F _tam tam"
} >"$completion_out.tmp"
mv "$completion_out.tmp" "$completion_out"
