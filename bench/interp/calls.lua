-- 1 million calls of a small function that leaves by return.
function inc(x) return x + 1 end
n = 0
for _ = 1, 1000000 do n = inc(n) end
