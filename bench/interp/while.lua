-- 10 million integer additions in a conditional loop.
i = 0
while i < 10000000 do i = i + 1 end
