-- the built-in function stands as a Lua function over math.sqrt
local sqrt = math.sqrt
local function point_distance(x1, y1, x2, y2)
  local dx, dy = x2 - x1, y2 - y1
  return sqrt(dx * dx + dy * dy)
end
local self = {}
self.t = 0; self.i = 0
for _ = 1, 10000000 do
  self.t = self.t + point_distance(self.i, self.i, self.i + 3, self.i + 4); self.i = self.i + 1
end
print(string.format("%d", self.t))
