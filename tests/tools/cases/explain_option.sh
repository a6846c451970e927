# Why an option has its values at a node, told step by step with the places in the files: an
# option set by a rule of the parent for the node's path and again by the node's own rule, with a
# presented default refused in between; a host value refused because the parent fixed the option;
# and a value inherited from the parent with the parent's own history before it.
tam explain explain/product.json kart.engine:engine:power
expect_status 0
expect_stdout explain_two_rules.out
expect_no_stderr

tam explain explain/product.json kart.seat:seat:padding
expect_status 0
expect_stdout explain_refused_host.out
expect_no_stderr

tam explain explain/product.json kart.engine:engine:class
expect_status 0
expect_stdout explain_inherited.out
expect_no_stderr

# A node that was not evaluated holds no value to explain.
tam explain explain/product.json kart.rain_tyres:tyres:compound
expect_status 0
expect_stdout explain_not_configured.out
expect_no_stderr
