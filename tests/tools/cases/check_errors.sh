# Every problem of every module file in a folder, in the GCC/Clang layout: layout errors, syntax
# errors in declarations and rules (with tabs kept in the caret line), references to modules and
# options that do not exist, a private base, and a repeated declaration.
tam check check_errors
expect_status 1
expect_stdout check_errors.out
expect_no_stderr
