local self = {}
self.s = ""; self.n = 0; self.t = 0
for _ = 1, 8000000 do
  self.s = self.s .. "ab"
  if #self.s >= 1000 then self.n = self.n + 1; self.t = self.t + #self.s; self.s = "" end
end
print(self.t + self.n)
