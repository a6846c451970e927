# A host value from the command line replaces the product's: at 24 km/h the bike is a plain city
# bike (inform instead of warn), and the rear light, whose load-if asks for more than 20 km/h,
# stays configured.
tam eval --set bike:bike:speed=24 --set bike.lights.rear_light:light:extras=usb basic/product.json
expect_status 0
expect_stdout eval_set_value.out
expect_no_stderr
