return fib(27)
