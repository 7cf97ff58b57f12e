def add(a, b):
    return a + b

def work():
    s = 0
    for i in range(1, 1000001):
        s = add(s, i)
    return s

print(work())
