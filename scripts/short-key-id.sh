# Sourced by shell scripts that seed kwo.db: the short-key id of a key, as the
# program computes it. Digits count 1..10, capitals 11..36, any other character
# ends the key; id = id * 37 + digit, modulo 2^32.
short_key_id() {
  local key=$1 id=0 i c digit
  for ((i = 0; i < ${#key}; i++)); do
    c=${key:i:1}
    case $c in
      [0-9]) digit=$(( $(printf '%d' "'$c") - 48 + 1 )) ;;
      [A-Z]) digit=$(( $(printf '%d' "'$c") - 65 + 11 )) ;;
      *) break ;;
    esac
    id=$(( (id * 37 + digit) & 0xFFFFFFFF ))
  done
  echo "$id"
}
