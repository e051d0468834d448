-- concat: appends "ab" a million times. Lua strings are immutable, so "s = s .. 'ab'" would
-- copy the whole text every turn (about a terabyte in all); a buffer of parts is the Lua way.
local parts = {}
local n = 0
while true do
  parts[#parts + 1] = "ab"
  n = n + 1
  if not (n < 1000000) then break end
end
print(table.concat(parts))
