repeat (10000) with (all) v += 1; t = 0; with (all) other.t += v; return t
