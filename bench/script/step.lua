-- instance variables are fields of the instance's table; the step script is a function of it
local function step_obj(self)
  local dx, dy, sp, ax, ay, k
  dx = self.tx - self.px
  dy = self.ty - self.py
  sp = self.spd
  if dx > sp then dx = sp
  elseif dx < -sp then dx = -sp end
  if dy > sp then dy = sp
  elseif dy < -sp then dy = -sp end
  self.px = self.px + dx
  self.py = self.py + dy
  ax = dx
  if ax < 0 then ax = -ax end
  ay = dy
  if ay < 0 then ay = -ay end
  if ax + ay == 0 then
    self.tx = (self.tx * 7 + 13) % 640
    self.ty = (self.ty * 11 + 17) % 480
  end
  local state = self.state
  if state == 0 then
    self.gain = self.gain + 1
  elseif state == 1 then
    self.gain = self.gain + ax + ay
    self.hp = self.hp - 1
  elseif state == 2 then
    k = self.px // 32 + self.py // 32
    self.gain = self.gain + k % 5
  else
    self.state = 0
  end
  self.timer = self.timer - 1
  if self.timer <= 0 then
    self.timer = 30 + self.px % 17
    self.state = (self.state + 1) % 3
    if self.hp < 50 then self.hp = self.hp + 25 end
  end
end
local instances = {}
for k = 1, 1000 do
  local id = 100000 + k
  instances[k] = {px = id % 640, py = id * 3 % 480, tx = id * 7 % 640, ty = id * 11 % 480,
                  spd = 2 + id % 3, state = id % 3, timer = id % 30, gain = 0, hp = 100}
end
for _ = 1, 4000 do for _, inst in ipairs(instances) do step_obj(inst) end end
local t = 0
for _, inst in ipairs(instances) do t = t + inst.gain + inst.px + inst.py + inst.hp end
print(string.format("%d", t))
