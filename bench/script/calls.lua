local function add(a, b)
    return a + b
end

local function work()
    local s = 0
    for i = 1, 1000000 do
        s = add(s, i)
    end
    return s
end

print(work())
