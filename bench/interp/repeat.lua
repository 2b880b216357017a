-- 10 million integer additions in a counted loop.
s = 0
for i = 1, 10000000 do s = s + 1 end
