// Calls another script, and reads a game constant.
return scr_add(argument0, argument0) + BASE - 40;
