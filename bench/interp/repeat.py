# 10 million integer additions in a counted loop.
s = 0
for i in range(1, 10000001):
    s = s + 1
