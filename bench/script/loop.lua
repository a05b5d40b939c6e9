-- instance variables are fields of the instance's table
local self = {}
self.i = 0; self.s = 0
while self.i < 30000000 do self.s = self.s + self.i * 2; self.i = self.i + 1 end
print(string.format("%d", self.s))
