# Version, help, and command lines that cannot be used.
tam --version
expect_status 0
expect_stdout version.out

tam eval --help
expect_status 0
expect_stdout eval_help.out

tam
expect_status 2
expect_stderr no_command.err

tam eval
expect_status 2
expect_stderr eval_no_product.err

tam frobnicate
expect_status 2
expect_stderr unknown_command.err

tam chek modules
expect_status 2
expect_stderr misspelt_command.err

tam check --color=blue --error-limit=-1 modules
expect_status 2
expect_stderr bad_option_value.err
