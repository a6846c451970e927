# Two files declaring one module id: both are named.
tam check duplicate_id/modules/front.rix duplicate_id/modules/rear.rix
expect_status 1
expect_stdout check_duplicate.out
