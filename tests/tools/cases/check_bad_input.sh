# Input no module file should hold, made here: bytes of a binary file, malformed UTF-8, NUL bytes,
# a 100 MB file and a file with 10,000 mistakes. Each gets a clear, bounded report (control
# characters and stray bytes shown as <U+0001> and <FF>, at most 50 errors shown and the rest
# counted) and never a crash. Text that is not RIX is checked like any other module; a file that is
# not text at all (it holds a NUL byte, or is larger than a module file may be) cannot be checked,
# and stops the check with exit status 2.
mkdir bad_text
printf '\177ELF\002\001\001\377\376\003\376>\n\001\002' >bad_text/binary.rix
printf 'module utf\ninterface start\npublic caf\351 string default "\377\376"\ninterface end\n' \
  >bad_text/utf.rix
tam check bad_text
expect_status 1
expect_stdout check_bad_input.out
expect_no_stderr

mkdir nul
printf 'module nul\ninterface start\npublic a integer\ninterface end\nset nul:a to 1\000\n' \
  >nul/nul.rix
tam check nul
expect_status 2
expect_no_stdout
expect_stderr check_nul_byte.err

mkdir elf
printf '\177ELF\002\001\001\000\000\000\000\000\000\000\000\000\003\000>\000' >elf/binary.rix
tam check elf
expect_status 2
expect_no_stdout
expect_stderr check_binary.err

mkdir huge
dd if=/dev/zero of=huge/huge.rix bs=1 count=0 seek=100M 2>/dev/null
tam check huge
expect_status 2
expect_no_stdout
expect_stderr check_huge.err

mkdir many
{
  printf 'module many\ninterface start\npublic size integer = 1 to 5\ninterface end\n'
  awk 'BEGIN { for (i = 0; i < 10000; i++) printf "set many:sise to %d\n", i }'
} >many/many.rix
tam check many
expect_status 1
expect_stdout check_many_errors.out

tam check --error-limit 2 many
expect_status 1
expect_stdout check_error_limit.out
