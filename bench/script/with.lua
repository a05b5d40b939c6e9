local instances = {}
for k = 1, 1000 do instances[k] = {v = 0} end
for _ = 1, 30000 do for _, inst in ipairs(instances) do inst.v = inst.v + 1 end end
local self = {t = 0}
for _, inst in ipairs(instances) do self.t = self.t + inst.v end
print(self.t)
