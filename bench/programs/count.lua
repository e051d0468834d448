-- count: a variable from 0 to 10,000,000.
local i = 0
while true do
  i = i + 1
  if not (i < 10000000) then break end
end
print(i)
