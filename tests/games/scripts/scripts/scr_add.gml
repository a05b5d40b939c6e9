return argument0 + argument1;
