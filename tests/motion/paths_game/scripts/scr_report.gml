// One line per end of a path; the second end takes the instance off its path.
show_debug_message(argument0 + " " + string(global.t) + " " + string(round(x)) + " "
    + string(round(y)) + " " + string(path_position) + " " + string(path_index) + " "
    + string(path_speed));
ends += 1;
if (ends == 2) path_end();
