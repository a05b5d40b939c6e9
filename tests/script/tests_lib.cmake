# function library tests
