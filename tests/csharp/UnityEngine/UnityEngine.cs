// A stand-in for the parts of Unity's engine API that the Corvan Velo package uses, written from
// Unity's scripting reference with its namespaces and signatures, so that the package's
// Unity-only code compiles here and its tests run against it. UnityApiStandIn.Engine plays the
// engine's part: frames, scenes, quitting, play mode. Never shipped.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Reflection;

namespace UnityEngine
{
    [Flags]
    public enum HideFlags
    {
        None = 0,
        HideInHierarchy = 1,
        HideInInspector = 2,
        DontSaveInEditor = 4,
        NotEditable = 8,
        DontSaveInBuild = 16,
        DontUnloadUnusedAsset = 32,
        DontSave = 52,
        HideAndDontSave = 61,
    }

    public class Object
    {
        internal bool destroyed;
        internal bool keptAcrossScenes;

        public string name { get; set; }

        public HideFlags hideFlags { get; set; }

        public static void DontDestroyOnLoad(Object target)
        {
            target.keptAcrossScenes = true;
        }

        public static void Destroy(Object obj)
        {
            UnityApiStandIn.Engine.Destroy(obj);
        }

        public static void DestroyImmediate(Object obj)
        {
            UnityApiStandIn.Engine.Destroy(obj);
        }

        // As in Unity: a destroyed object compares equal to null.
        public static implicit operator bool(Object exists)
        {
            return !ReferenceEquals(exists, null) && !exists.destroyed;
        }
    }

    public sealed class GameObject : Object
    {
        internal readonly List<Component> components = new List<Component>();

        public GameObject(string name)
        {
            this.name = name;
            UnityApiStandIn.Engine.objects.Add(this);
        }

        public T AddComponent<T>()
            where T : Component
        {
            var component = (T)Activator.CreateInstance(typeof(T), true);
            component.gameObject = this;
            components.Add(component);
            UnityApiStandIn.Engine.SendMessage(component, "OnEnable");
            return component;
        }

        public T GetComponent<T>()
            where T : Component
        {
            return components.OfType<T>().FirstOrDefault();
        }
    }

    public class Component : Object
    {
        public GameObject gameObject { get; internal set; }
    }

    public class Behaviour : Component
    {
        private bool isEnabled = true;

        // As in Unity: enabling and disabling call OnEnable and OnDisable.
        public bool enabled
        {
            get {
                return isEnabled;
            }
            set {
                if (isEnabled != value)
                {
                    isEnabled = value;
                    UnityApiStandIn.Engine.SendMessage(this, value ? "OnEnable" : "OnDisable");
                }
            }
        }
    }

    public class MonoBehaviour : Behaviour
    {
    }

    public static class Application
    {
        public static event Action quitting;

        public static bool isPlaying { get; internal set; }

        // The project's Assets folder in the editor, <game>_Data in a player.
        public static string dataPath =>
            System.IO.Path.Combine(AppDomain.CurrentDomain.BaseDirectory, "Assets");

        internal static void Quit()
        {
            quitting?.Invoke();
        }
    }

    public static class Debug
    {
        public static void Log(object message)
        {
            UnityApiStandIn.Engine.log.Add(message);
        }

        public static void LogWarning(object message)
        {
            UnityApiStandIn.Engine.log.Add(message);
        }

        public static void LogError(object message)
        {
            UnityApiStandIn.Engine.log.Add(message);
        }

        public static void LogException(Exception exception)
        {
            UnityApiStandIn.Engine.log.Add(exception);
        }
    }

    public enum RuntimeInitializeLoadType
    {
        AfterSceneLoad = 0,
        BeforeSceneLoad = 1,
        AfterAssembliesLoaded = 2,
        BeforeSplashScreen = 3,
        SubsystemRegistration = 4,
    }

    [AttributeUsage(AttributeTargets.Method, AllowMultiple = false)]
    public class RuntimeInitializeOnLoadMethodAttribute : Scripting.PreserveAttribute
    {
        public RuntimeInitializeOnLoadMethodAttribute()
        {
            loadType = RuntimeInitializeLoadType.AfterSceneLoad;
        }

        public RuntimeInitializeOnLoadMethodAttribute(RuntimeInitializeLoadType loadType)
        {
            this.loadType = loadType;
        }

        public RuntimeInitializeLoadType loadType { get; private set; }
    }
}

namespace UnityEngine.Scripting
{
    /// <summary>Keeps what it marks from code stripping.</summary>
    [AttributeUsage(AttributeTargets.Assembly | AttributeTargets.Class | AttributeTargets.Struct |
                        AttributeTargets.Enum | AttributeTargets.Constructor |
                        AttributeTargets.Method | AttributeTargets.Property |
                        AttributeTargets.Field | AttributeTargets.Event |
                        AttributeTargets.Interface | AttributeTargets.Delegate,
                    Inherited = false)]
    public class PreserveAttribute : Attribute
    {
    }
}

namespace AOT
{
    /// <summary>Marks a static method that native code calls through a delegate of the given
    /// type; IL2CPP makes a native entry point for it.</summary>
    [AttributeUsage(AttributeTargets.Method)]
    public class MonoPInvokeCallbackAttribute : Attribute
    {
        public MonoPInvokeCallbackAttribute(Type type)
        {
        }
    }
}

namespace UnityApiStandIn
{
    using UnityEngine;

    /// <summary>What the engine does, on the tests' command.</summary>
    public static class Engine
    {
        internal static readonly List<GameObject> objects = new List<GameObject>();
        internal static readonly List<object> log = new List<object>();

        /// <summary>The live game objects.</summary>
        public static IReadOnlyList<GameObject> GameObjects => objects.Where(o => o).ToList();

        /// <summary>What was logged through Debug, messages and exceptions.</summary>
        public static IReadOnlyList<object> Log => log;

        public static bool IsKeptAcrossScenes(Object target)
        {
            return target.keptAcrossScenes;
        }

        public static void SetPlaying(bool playing)
        {
            Application.isPlaying = playing;
        }

        /// <summary>One frame: Update on every enabled MonoBehaviour, as the engine calls it.
        /// </summary>
        public static void Frame()
        {
            foreach (var behaviour in objects.Where(o => o)
                         .SelectMany(o => o.components)
                         .OfType<MonoBehaviour>()
                         .Where(b => b && b.enabled)
                         .ToList())
            {
                SendMessage(behaviour, "Update");
            }
        }

        /// <summary>Calls a MonoBehaviour's message method, if it has one, as the engine does.
        /// </summary>
        internal static void SendMessage(Object target, string message)
        {
            if (!(target is MonoBehaviour))
            {
                return;
            }
            var method = target.GetType().GetMethod(
                message, BindingFlags.Instance | BindingFlags.Public | BindingFlags.NonPublic, null,
                Type.EmptyTypes, null);
            try
            {
                method?.Invoke(target, null);
            }
            catch (TargetInvocationException e)
            {
                log.Add(e.InnerException); // the engine logs what a message throws
            }
        }

        /// <summary>Loads another scene: every object not kept across scenes is
        /// destroyed.</summary>
        public static void LoadScene()
        {
            foreach (var gameObject in objects.Where(o => o && !o.keptAcrossScenes).ToList())
            {
                Destroy(gameObject);
            }
        }

        /// <summary>The application quits.</summary>
        public static void Quit()
        {
            Application.Quit();
        }

        /// <summary>Runs the [RuntimeInitializeOnLoadMethod] methods of `loadType` in these
        /// assemblies, as entering play mode does (with or without a domain reload).</summary>
        public static void RunInitializers(RuntimeInitializeLoadType loadType,
                                           params Assembly[] assemblies)
        {
            const BindingFlags all =
                BindingFlags.Static | BindingFlags.Public | BindingFlags.NonPublic;
            foreach (var method in assemblies.SelectMany(a => a.GetTypes())
                         .SelectMany(t => t.GetMethods(all)))
            {
                var initialize =
                    method.GetCustomAttribute<RuntimeInitializeOnLoadMethodAttribute>();
                if (initialize != null && initialize.loadType == loadType)
                {
                    method.Invoke(null, null);
                }
            }
        }

        /// <summary>Back to a fresh engine: no objects, nothing logged, not playing.</summary>
        public static void Reset()
        {
            foreach (var gameObject in objects.ToList())
            {
                Destroy(gameObject);
            }
            objects.Clear();
            log.Clear();
            Application.isPlaying = false;
        }

        internal static void Destroy(Object obj)
        {
            if (ReferenceEquals(obj, null))
            {
                return;
            }
            obj.destroyed = true;
            if (obj is GameObject gameObject)
            {
                foreach (var component in gameObject.components)
                {
                    if (component is Behaviour behaviour && behaviour.enabled)
                    {
                        SendMessage(component, "OnDisable");
                    }
                    component.destroyed = true;
                }
                objects.Remove(gameObject);
            }
        }
    }
}
