-- Summing a table of 1 million integers with ipairs (the table is built first).
b = {}
for i = 1, 1000000 do b[#b + 1] = i end
s = 0
for _, x in ipairs(b) do s = s + x end
