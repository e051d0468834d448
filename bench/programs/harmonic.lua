-- harmonic: the sum of 1/k for k = 1 .. 2,000,000.
local s = 0.0
local k = 1
while true do
  local t = -1 / k
  s = s - t
  k = k + 1
  if not (k < 2000001) then break end
end
print(string.format("%.15g", s))
