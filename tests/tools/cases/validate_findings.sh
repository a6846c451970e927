# Rules referring to a private option of a lower module and to a module two boundaries down, a
# presented option at a path where no node of its module stands, and a load-if judged from its
# parent's scope.
tam validate validate_findings/product.json
expect_status 1
expect_stdout validate_findings.out
expect_no_stderr
