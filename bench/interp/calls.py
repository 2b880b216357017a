# 1 million calls of a small function that leaves by return.
def inc(x):
    return x + 1
n = 0
for _ in range(1000000):
    n = inc(n)
