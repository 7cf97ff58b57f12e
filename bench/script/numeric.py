def work():
    s = 0
    for i in range(1, 3000001):
        s = s + (i % 7) * 2 - 1
    return s

print(work())
