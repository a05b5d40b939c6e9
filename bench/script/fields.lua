-- instances are tables, found by id through a table as the room's id index
local byid, instances = {}, {}
for k = 1, 200 do
  local inst = {id = 100000 + k, x = 0, y = 0}
  instances[k] = inst; byid[inst.id] = inst
end
local self = {n = 0, hits = 0, ids = {}}
for _, inst in ipairs(instances) do
  local other = self
  inst.x = inst.id * 7 % 101; inst.y = inst.id * 13 % 103
  other.ids[other.n] = inst.id; other.n = other.n + 1
end
for _ = 1, 400 do
  for _, inst in ipairs(instances) do
    local other = self
    local j = 0
    while j < other.n do
      local o = other.ids[j]
      if byid[o].x - inst.x < 8 then if inst.x - byid[o].x < 8 then
        if byid[o].y - inst.y < 8 then if inst.y - byid[o].y < 8 then other.hits = other.hits + 1 end end
      end end
      j = j + 1
    end
  end
end
print(self.hits)
