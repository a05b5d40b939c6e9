i = 0; s = 0; while (i < 10000000) { s += i * 2; i += 1 } return s
