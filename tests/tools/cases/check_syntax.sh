# The syntax error that evaluation reports is reported by check at the same place.
tam check syntax_error/modules
expect_status 1
expect_stdout check_syntax.out
expect_no_stderr
