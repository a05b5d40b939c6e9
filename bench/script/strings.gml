s = ""; n = 0; t = 0; repeat (2000000) { s += "ab"; if (string_length(s) >= 1000) { n += 1; t += string_length(s); s = "" } } return t + n
