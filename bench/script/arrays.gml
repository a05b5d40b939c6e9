t = 0; repeat (100) { for (i = 0; i < 30000; i += 1) a[i] = i * 2; for (i = 0; i < 30000; i += 1) t += a[i] } return t
